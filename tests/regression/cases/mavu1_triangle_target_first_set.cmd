mavu1 -f instances/dimacs/triangle.clq -t 100 -o 9
